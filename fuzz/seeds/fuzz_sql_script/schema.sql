CREATE TABLE `goodslist` (
   id COUNTER CONSTRAINT PK_goodslistLevel26 PRIMARY KEY,
  `keyname` varchar(100) DEFAULT NULL,
  `goodstypeno` integer DEFAULT NULL,
  `title` varchar(100) DEFAULT NULL,
  `pic_url` varchar(255) DEFAULT NULL,
  `detail_url` varchar(255) DEFAULT NULL,
  `view_price` float DEFAULT NULL,
  `view_fee` float DEFAULT NULL,
  `reserve_price` float DEFAULT NULL,
  `item_loc` varchar(45) DEFAULT NULL,
  `user_id` varchar(20) DEFAULT NULL,
  `nick` varchar(45) DEFAULT NULL,
  `shopLink` varchar(255) DEFAULT NULL,
  `comment_count` integer DEFAULT NULL,
  `nid` varchar(20) DEFAULT NULL,
  `pid` varchar(20) DEFAULT NULL
);
create table dSysCfg(ID COUNTER CONSTRAINT PK_dSysCfgLevel26 PRIMARY KEY,    
	GroupKey varchar(50),  GroupCode varchar(250),  GroupValue varchar(50), Status integer,  
	ItemKey varchar(30), ItemCode varchar(30), ItemValue varchar(50), ItemText memo 
);